{"width": "800", "height": 600
