#pragma once
// The modules tavsim can serve instead of the panel-facing ACU (`tavsim --module NAME`), and
// an in-process bench that runs one of them on virtual time.
#include "sim/AcuDevice.h"
#include "sim/TerminalModule.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct ModuleInfo {
    const char* name; // as given to --module
    const char* what; // one line for --help and the README
};

// Every module, in the order --help lists them.
const std::vector<ModuleInfo>& modules();

// A new module of that name on the shared device (the modules that show or move the antenna
// use it); nothing for an unknown name.
std::unique_ptr<TerminalModule> makeModule(std::string_view name, AcuDevice& shared);

// One module with a device of its own, for tests and tools in-process: bytes in with
// receive(), time with advance(), bytes out with takeOutput().
class ModuleModel {
public:
    // Throws std::invalid_argument for an unknown name.
    explicit ModuleModel(std::string_view name);
    ModuleModel(const ModuleModel&) = delete;
    ModuleModel& operator=(const ModuleModel&) = delete;

    void receive(const std::string& bytes) { module_->receive(bytes); }
    void advance(Ms dt)
    {
        device_.advance(dt);
        module_->advance(dt);
    }
    std::string takeOutput() { return module_->takeOutput(); }

    AcuDevice& device() { return device_; }
    TerminalModule& module() { return *module_; }
    // The module as its own type (std::bad_cast when it is another).
    template <class T>
    T& as()
    {
        return dynamic_cast<T&>(*module_);
    }

private:
    AcuDevice device_;
    std::unique_ptr<TerminalModule> module_;
};

} // namespace sim
