// the player's keys
{ "fire": ["ENTER", "kp0"], "pitchdown": "I", "pitchup": "K", "mute": [] , "quit": 7}
