// A host root for tests that forwards every call to the stand-in host and records the
// calls a test wants to see in order: memory, console lines, container reads, dialog
// values and enabled states, plug-in registrations with the bytes of their record.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dorna_test {

class HostSpy {
public:
    // Spies on `real`; at most one spy exists at a time.
    explicit HostSpy(const KrvHost* real);
    ~HostSpy();
    HostSpy(const HostSpy&) = delete;
    HostSpy& operator=(const HostSpy&) = delete;

    const KrvHost* root() const { return &root_; }

    // "alloc 24", "free", "print_line TEXT", "get_int 1001", "set_time 1000 4/30",
    // "set_value 10040",
    // "enable 10004 0", "register_plugin 25 1016875", "free_resource", in call order.
    std::vector<std::string> calls;
    // The record of the last plug-in registration, as the module passed it.
    std::vector<unsigned char> lastRecord;
    // Only the calls that start with `prefix`.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;

    const KrvHost* real;

private:
    KrvHost root_;
    KrvMemoryTable memory_;
    KrvConsoleTable console_;
    KrvContainerTable container_;
    KrvDialogTable dialog_;
    KrvPluginTable plugin_;
};

}  // namespace dorna_test
