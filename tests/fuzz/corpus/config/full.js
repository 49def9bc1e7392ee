{"width": 1024, "height": 768, "fullscreen": 1, "refreshrate": 60, "openglmajor": 4, "openglminor": 6}
