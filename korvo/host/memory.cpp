// Memory blocks, and the console: lines and user messages.
#include <cstdio>
#include <cstdlib>

#include "korvo/host/host_state.h"
#include "korvo/console/status_line.h"
#include "korvo/console/text.h"

namespace korvo {

namespace {

void* KRV_CALL allocate(size_t bytes, int32_t /*reserved1*/, int32_t /*reserved2*/) {
    Host::State& state = hostState();
    if (!state.allowAllocation()) return nullptr;
    Memory block(std::malloc(bytes == 0 ? 1 : bytes));
    if (!block) {
        ++state.failedAllocations;
        return nullptr;
    }
    void* address = block.get();
    state.blocks.emplace(address, MemoryBlock{std::move(block), bytes});
    return address;
}

void KRV_CALL release(void* block) {
    if (block == nullptr) return;
    Host::State& state = hostState();
    if (!state.blocks.erase(block)) return state.fault("memory free: a block the host did not hand out");
}

void KRV_CALL printLine(const KrvString* text) {
    Host::State& state = hostState();
    const StringImpl* impl = stringImpl(text);
    state.console.push_back(impl ? toUtf8(impl->text) : std::string());
    if (state.behaviour.echo) printError("%s\n", printable(state.console.back()).c_str());
}

void KRV_CALL message(const KrvString* text, int32_t /*kind*/) {
    Host::State& state = hostState();
    const StringImpl* impl = stringImpl(text);
    state.messages.push_back(impl ? toUtf8(impl->text) : std::string());
    if (state.behaviour.echo) printError("warning: %s\n", printable(state.messages.back()).c_str());
}

}  // namespace

const KrvMemoryTable kMemoryTable = {sizeof(KrvMemoryTable), allocate, release};
const KrvConsoleTable kConsoleTable = {sizeof(KrvConsoleTable), printLine, message};

}  // namespace korvo
