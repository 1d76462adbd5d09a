#pragma once
// Entry points of SDL2 (sound device, events, timers), bound at run time by the loader as
// part of the player's library set. Call them as sdl::SDL_OpenAudioDevice(...).

#include <SDL.h>

// NOLINTNEXTLINE(bugprone-macro-parentheses): name is a declared name, not an expression
#define TOVIK_EXPORT(name) inline decltype(&::name) name = nullptr;
namespace sdl {
#include "media/exports/SDL.inc"
} // namespace sdl
#undef TOVIK_EXPORT
