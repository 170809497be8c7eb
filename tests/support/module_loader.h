// Loads a MEX file by path and calls its mexFunction, as a host does.
#ifndef ZORVAN_TESTS_MODULE_LOADER_H
#define ZORVAN_TESTS_MODULE_LOADER_H

#include "standin.h"

#include <optional>
#include <string>
#include <vector>

using MexEntry = void (*)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

class LoadedModule {
public:
    explicit LoadedModule(const std::string& path);  // throws std::runtime_error
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    MexEntry entry() const { return entry_; }

private:
    void* handle_ = nullptr;
    MexEntry entry_ = nullptr;
};

// What one call gave back: the output the host now owns, or the refusal's text.
struct CallOutcome {
    mxArray* output = nullptr;
    std::optional<std::string> refusal;
};

CallOutcome callGateway(MexEntry entry, const std::vector<const mxArray*>& inputs, int nlhs = 1);

// The folder holding the built MEX files, from the test program's command line.
const std::string& moduleDirectory();
std::string modulePath(const std::string& name);

#endif
