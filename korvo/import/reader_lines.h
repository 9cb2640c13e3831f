// The model reader library prints lines of its own on standard output or standard
// error ("nullptr returned by creating DDLNode."). While a reader runs, those lines are
// caught and passed on to standard error as "korvo: MODEL: reader: TEXT", so that a user
// (of a batch above all) knows which model they concern.
#pragma once

#include <string>
#include <thread>

namespace korvo::import {

class ReaderLines {
public:
    // From now until destruction, for the model `model` names.
    explicit ReaderLines(const std::string& model);
    ~ReaderLines();
    ReaderLines(const ReaderLines&) = delete;
    ReaderLines& operator=(const ReaderLines&) = delete;

private:
    void passOn(int from) const;

    std::string prefix_;
    int savedOutput_ = -1, savedError_ = -1;  // -1: nothing is caught
    std::thread reader_;
};

}  // namespace korvo::import
