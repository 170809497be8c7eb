#include "module_loader.h"

#include <stdexcept>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

#if defined(_WIN32)
LoadedModule::LoadedModule(const std::string& path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        throw std::runtime_error("cannot load " + path + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    handle_ = module;
    entry_ = reinterpret_cast<MexEntry>(
        reinterpret_cast<void*>(GetProcAddress(module, "mexFunction")));
    if (entry_ == nullptr) throw std::runtime_error(path + " exports no mexFunction");
}

LoadedModule::~LoadedModule() { FreeLibrary(static_cast<HMODULE>(handle_)); }
#else
LoadedModule::LoadedModule(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw std::runtime_error("cannot load " + path + ": " + dlerror());
    entry_ = reinterpret_cast<MexEntry>(dlsym(handle_, "mexFunction"));
    if (entry_ == nullptr) throw std::runtime_error(path + " exports no mexFunction");
}

LoadedModule::~LoadedModule() { dlclose(handle_); }
#endif

CallOutcome callGateway(MexEntry entry, const std::vector<const mxArray*>& inputs, int nlhs) {
    // A host always offers at least one output slot (MATLAB's ans).
    mxArray* outputs[2] = {nullptr, nullptr};
    CallOutcome outcome;
    try {
        entry(nlhs, outputs, static_cast<int>(inputs.size()),
              const_cast<const mxArray**>(inputs.data()));
    } catch (const MexError& error) {
        outcome.refusal = error.what();
    }
    outcome.output = outputs[0];
    return outcome;
}
