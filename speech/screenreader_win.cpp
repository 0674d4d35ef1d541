// Placeholder until the Windows speech back ends land.
#include "speech/screenreader.h"

namespace {

class NoScreenReader : public IScreenReader
{
public:
    bool isRunning() override { return false; }
    std::string name() override { return {}; }
    bool output(const std::string&, bool) override { return false; }
    bool speak(const std::string&, bool) override { return false; }
    bool braille(const std::string&) override { return false; }
    bool silence() override { return false; }
};

} // namespace

std::unique_ptr<IScreenReader> CreateScreenReader()
{
    return std::make_unique<NoScreenReader>();
}
