#pragma once

// The sound files the game plays, relative to its working directory. The jet plays the rocket
// sound, the rules the explosion; scene assembly starts the music and preloads both effects so
// that the first shot does not wait for a decode.
namespace game_sounds {

inline constexpr const char* music = "Resources/audio/bgm.mp3";
inline constexpr const char* rocket = "Resources/audio/rocket.mp3";
inline constexpr const char* explosion = "Resources/audio/explosion.mp3";

} // namespace game_sounds
