/* block */ {
  "width": 12.75, // cut toward zero
  "height": true, "fullscreen": null, "extra": [1, 2, {"a": "b"}]
}
