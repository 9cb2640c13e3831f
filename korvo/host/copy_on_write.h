// A value that copies share until one of them changes it. A working copy of a document
// takes every object's geometry along; sharing it with the original until the copy is
// changed (a triangulation) keeps a second copy of the largest arrays out of memory.
#pragma once

#include <memory>
#include <utility>

namespace korvo {

template <typename T>
class CopyOnWrite {
public:
    CopyOnWrite() = default;
    explicit CopyOnWrite(T value) : data_(std::make_shared<T>(std::move(value))) {}

    const T& operator*() const { return data_ ? *data_ : empty(); }
    const T* operator->() const { return &**this; }

    // The value for changing: first made this holder's own when others share it.
    T& edit() {
        if (!data_)
            data_ = std::make_shared<T>();
        else if (data_.use_count() > 1)
            data_ = std::make_shared<T>(*data_);
        return *data_;
    }

private:
    static const T& empty() {
        static const T none{};
        return none;
    }

    std::shared_ptr<T> data_;
};

}  // namespace korvo
