// Host strings: Unicode code points; 8-bit text in and out is Latin-1.
#include <algorithm>

#include "korvo/host/host_state.h"
#include "korvo/console/text.h"

namespace korvo {

StringImpl* stringImpl(const KrvString* s) {
    Host::State& state = hostState();
    auto* impl = s ? static_cast<StringImpl*>(s->impl) : nullptr;
    if (impl != nullptr && state.strings.count(impl)) return impl;
    state.fault(s ? "a string that is not constructed (or already destroyed)" : "a null string");
    return nullptr;
}

void constructString(KrvString* s, std::u32string text) {
    s->impl = own(hostState().strings, std::make_unique<StringImpl>(StringImpl{std::move(text)}));
}

KrvString* allocateString(std::u32string text) {
    Host::State& state = hostState();
    if (!state.allowAllocation()) return nullptr;
    KrvString* s = own(state.allocatedStrings, std::make_unique<KrvString>());
    constructString(s, std::move(text));
    return s;
}

std::string toUtf8(const KrvString* s) {
    const StringImpl* impl = stringImpl(s);
    return impl ? toUtf8(impl->text) : std::string();
}

void setUtf8(KrvString* s, const std::string& utf8) {
    if (StringImpl* impl = stringImpl(s)) impl->text = fromUtf8(utf8);
}

namespace {

void KRV_CALL construct(KrvString* s) {
    if (s == nullptr) return hostState().fault("string construct: null storage");
    constructString(s, {});
}

void KRV_CALL destroy(KrvString* s) {
    if (StringImpl* impl = stringImpl(s)) {
        hostState().strings.erase(impl);
        s->impl = nullptr;
    }
}

void KRV_CALL assign(KrvString* dst, const KrvString* src) {
    StringImpl* to = stringImpl(dst);
    const StringImpl* from = stringImpl(src);
    if (to && from) to->text = from->text;
}

void KRV_CALL setText(KrvString* s, const char* text, int32_t length, int32_t /*encoding*/) {
    StringImpl* impl = stringImpl(s);
    if (impl == nullptr) return;
    if (text == nullptr) {
        impl->text.clear();
        return;
    }
    const size_t n = length < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(length);
    impl->text = fromLatin1(text, n);
}

int32_t KRV_CALL length(const KrvString* s) {
    const StringImpl* impl = stringImpl(s);
    return impl ? static_cast<int32_t>(impl->text.size()) : 0;
}

// Positions outside the string are pinned to its ends, as an editor would.
size_t clampPosition(int32_t position, size_t size) {
    if (position < 0) return 0;
    return std::min(static_cast<size_t>(position), size);
}

void KRV_CALL insert(KrvString* s, int32_t position, const KrvString* other) {
    StringImpl* impl = stringImpl(s);
    const StringImpl* add = stringImpl(other);
    if (!impl || !add) return;
    const std::u32string copy = add->text;  // `other` may be `s` itself
    impl->text.insert(clampPosition(position, impl->text.size()), copy);
}

int32_t KRV_CALL find(const KrvString* s, const KrvString* pattern, int32_t* position, int32_t start) {
    const StringImpl* impl = stringImpl(s);
    const StringImpl* what = stringImpl(pattern);
    if (!impl || !what) return 0;
    const size_t from = clampPosition(start, impl->text.size());
    const size_t at = impl->text.find(what->text, from);
    if (at == std::u32string::npos) return 0;
    if (position) *position = static_cast<int32_t>(at);
    return 1;
}

void KRV_CALL remove(KrvString* s, int32_t position, int32_t count) {
    StringImpl* impl = stringImpl(s);
    if (!impl || count <= 0) return;
    const size_t at = clampPosition(position, impl->text.size());
    impl->text.erase(at, static_cast<size_t>(count));
}

int32_t KRV_CALL toText(const KrvString* s, char* buffer, int32_t max, int32_t /*encoding*/) {
    const StringImpl* impl = stringImpl(s);
    if (buffer == nullptr || max < 0) return 0;
    if (!impl) {
        buffer[0] = '\0';
        return 0;
    }
    const size_t n = std::min(impl->text.size(), static_cast<size_t>(max));
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = impl->text[i];
        buffer[i] = c <= 0xFF ? static_cast<char>(static_cast<unsigned char>(c)) : '?';
    }
    buffer[n] = '\0';
    return static_cast<int32_t>(n);
}

void KRV_CALL freeAllocated(KrvString* s) {
    if (s == nullptr) return;
    Host::State& state = hostState();
    const auto allocated = state.allocatedStrings.find(s);
    if (allocated == state.allocatedStrings.end()) {
        return state.fault("string free_allocated: a string the host did not allocate");
    }
    destroy(s);
    state.allocatedStrings.erase(allocated);
}

}  // namespace

const KrvStringTable kStringTable = {
    sizeof(KrvStringTable), construct, destroy, assign, setText, length, insert,
    find, remove, toText, freeAllocated,
};

}  // namespace korvo
