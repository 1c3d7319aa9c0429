#pragma once
// The stage that brings a decoded sound into the format the others meet in: the sample rate
// through libsoxr at high quality, the channels by the format converter's rules (one channel to
// every channel, several averaged into fewer). It streams through fixed buffers like the
// decoder, so memory does not grow with the sound's length.

#include <memory>

#include "audio/DecodeStream.h"

namespace tolvak::audiolib {

/// `source` delivered in `format`. A source already in it is handed back itself, untouched.
/// Channels: with more output channels than input channels, output channel j takes input
/// channel j mod N (mono to both); with fewer, output channel j is the average of the input
/// channels i with i mod M = j (stereo to mono is (L + R) / 2). The channels are mapped before
/// the rate is converted.
std::unique_ptr<PcmSource> ConvertTo(std::unique_ptr<PcmSource> source, PcmFormat format);

}  // namespace tolvak::audiolib
