#pragma once
// The PCM component model in one include: byte streams, inputs, outputs with their worker
// threads, the event dispatcher and the tag sets. Each lives in its own header.

#include "audio/AuDispatcher.h"
#include "audio/AuException.h"
#include "audio/AuInputs.h"
#include "audio/AuOutputs.h"
#include "audio/AuStreams.h"
#include "audio/AuTags.h"
