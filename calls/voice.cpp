#include "calls/voice.h"

#include "calls/espeakvoice.h"

IVoice::~IVoice() = default;

std::unique_ptr<IVoice> createSpVoice() { return std::make_unique<EspeakVoice>(); }
