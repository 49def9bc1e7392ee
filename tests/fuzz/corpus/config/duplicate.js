{"width": 800, "width": 900, "openglminor": 3e1, "openglmajor": -0.5}
