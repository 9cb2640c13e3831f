#include "host/document.h"

#include <cmath>

#include "host/containers.h"
#include "host/host.h"

namespace dorna {

namespace {
}  // namespace

KrvTime toKrvTime(HostTime time) { return KrvTime{time.numerator, time.denominator}; }

HostTime fromKrvTime(KrvTime time) { return HostTime{time.numerator, time.denominator}; }

int32_t frameOfTime(HostTime time, float rate) {
    const float scaled = rate * time.numerator;
    const double whole = std::floor(static_cast<double>(scaled));
    const double divisor = std::floor(static_cast<double>(time.denominator));
    if (divisor == 0.0) return 0;
    const double frame = std::trunc(whole / divisor);
    if (std::isnan(frame)) return 0;
    if (frame >= 2147483647.0) return INT32_MAX;
    if (frame <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(frame);
}

KrvDocument copyDocument(KrvDocument document, int32_t flags) {
    return host()->document->copy(document, flags);
}

void releaseDocument(KrvDocument& document) {
    if (document) host()->document->release(document);
    document = nullptr;
}

KrvObject firstObject(KrvDocument document) { return host()->document->first_object(document); }

int32_t documentFrameRate(KrvDocument document) {
    HostContainer settings;
    host()->document->get_settings(document, 0, settings.get());
    return settings.readInt(KRV_DOC_FPS, 0);
}

HostTime documentEndTime(KrvDocument document) {
    HostContainer settings;
    host()->document->get_settings(document, 0, settings.get());
    return fromKrvTime(settings.readTime(KRV_DOC_MAXTIME, toKrvTime(HostTime{})));
}

void setDocumentTime(KrvDocument document, HostTime time) {
    HostContainer settings;
    settings.writeTime(KRV_DOC_TIME, toKrvTime(time));
    host()->document->set_settings(document, 0, settings.get());
}

void animateDocument(KrvDocument document) {
    host()->document->evaluate(document, 0, 0, 1);
    host()->document->message(document, KRV_DOC_CHANGED, nullptr);
}

namespace {

// Takes came later than the other document entries: a host has all four or none.
bool hostHasTakes() {
    const KrvDocumentTable* table = host()->document;
    return KRV_HAS_ENTRY(table, KrvDocumentTable, take_count) && KRV_HAS_ENTRY(table, KrvDocumentTable, take_name) &&
           KRV_HAS_ENTRY(table, KrvDocumentTable, take_range) &&
           KRV_HAS_ENTRY(table, KrvDocumentTable, set_current_take);
}

}  // namespace

int32_t documentTakeCount(KrvDocument document) {
    return hostHasTakes() ? host()->document->take_count(document) : 0;
}

bool documentTake(KrvDocument document, int32_t index, HostString& name, HostTime& start, HostTime& end) {
    KrvTime first{0, 1}, last{0, 1};
    if (!hostHasTakes() || !host()->document->take_name(document, index, name.get()) ||
        !host()->document->take_range(document, index, &first, &last))
        return false;
    start = fromKrvTime(first);
    end = fromKrvTime(last);
    return true;
}

bool setCurrentTake(KrvDocument document, int32_t index) {
    return hostHasTakes() && host()->document->set_current_take(document, index) != 0;
}

}  // namespace dorna
