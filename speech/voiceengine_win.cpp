// Placeholder until the Windows speech back ends land.
#include "speech/voiceengine.h"

namespace {

class NoVoiceEngine : public IVoiceEngine
{
public:
    std::vector<std::string> voices() override { return {}; }
    int findVoice(const std::string&) override { return -1; }
    int voiceIndex() override { return -1; }
    void selectVoice(int) override {}
    std::string voiceDescription() override { return {}; }
    int rate() override { return 0; }
    void setRate(int) override {}
    int volume() override { return 0; }
    void setVolume(int) override {}
    bool speak(const std::string&, bool) override { return false; }
    void stop() override {}
    bool isSpeaking() override { return false; }
};

} // namespace

std::unique_ptr<IVoiceEngine> CreateVoiceEngine(int)
{
    return std::make_unique<NoVoiceEngine>();
}
