#pragma once
// The small audio layer under decoding, compression and MP3 encoding, in one include: the
// streaming decoder, the 16-bit PCM WAV file writer, the dynamics compressor and the LAME
// encoder stream. Each lives in its own header.

#include "audio/Compressor.h"
#include "audio/DecodeStream.h"
#include "audio/Mp3Encoder.h"
#include "audio/WavFileWriter.h"
