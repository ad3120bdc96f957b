#include <utility>

#include "builder/payload.h"
#include "host/program_source.h"
#include "vm/machine.h"

namespace host {
namespace {

class PayloadSource final : public ProgramSource {
  public:
    explicit PayloadSource(std::string executablePath) : executablePath_(std::move(executablePath)) {}

    bool open(const HostPaths &paths, std::string &why) override {
        reader_.setTemporaryFolder(paths.temporaryFolder);
        return reader_.read(executablePath_, &why) == builder::PayloadReader::Status::Ok;
    }

    LoadOutcome load(vm::Machine &m, const HostPaths &, std::string &why) override {
        if (reader_.entries().empty()) {
            why = "the game holds no program";
            return LoadOutcome::NoProgram;
        }
        std::string path;
        if (!reader_.extractProgram(&path)) {
            why = "cannot extract the program to " + reader_.temporaryFolder();
            return LoadOutcome::NoProgram;
        }
        return vm::loadImageFile(m, path, &why) ? LoadOutcome::Loaded : LoadOutcome::NotLoadable;
    }

    void release() override { reader_.release(); }
    bool standalone() const override { return true; }
    builder::PayloadReader *payload() override { return &reader_; }

  private:
    std::string executablePath_;
    builder::PayloadReader reader_;
};

} // namespace

std::unique_ptr<ProgramSource> payloadSource(std::string executablePath) {
    return std::make_unique<PayloadSource>(std::move(executablePath));
}

} // namespace host
