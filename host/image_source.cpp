#include <utility>

#include "host/program_source.h"
#include "vm/machine.h"

namespace host {
namespace {

class ImageSource final : public ProgramSource {
  public:
    explicit ImageSource(std::vector<uint8_t> image) : image_(std::move(image)) {}
    bool open(const HostPaths &, std::string &) override { return true; }
    LoadOutcome load(vm::Machine &m, const HostPaths &, std::string &why) override {
        if (image_.empty()) {
            why = "the program is empty";
            return LoadOutcome::NoProgram;
        }
        return vm::loadImage(m, image_.data(), image_.size(), &why) ? LoadOutcome::Loaded : LoadOutcome::NotLoadable;
    }
    void release() override {}
    bool standalone() const override { return false; }

  private:
    std::vector<uint8_t> image_;
};

} // namespace

std::unique_ptr<ProgramSource> imageSource(std::vector<uint8_t> image) {
    return std::make_unique<ImageSource>(std::move(image));
}

} // namespace host
