#pragma once
// Whether a file's first bytes are a WAV file that the sound player can play: a RIFF/WAVE file
// whose format chunk names integer PCM of 8 to 32 bits or 32-bit float, plainly or in the
// extensible form. A pure function over the bytes, so that the settings dialog can tell at once
// that a chosen file (an .oga, a renamed MP3) would only give the beep.
#include <string_view>

bool isPlayableWave(std::string_view head);
