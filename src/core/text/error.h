#pragma once

#include <stdexcept>
#include <string>

namespace sorvantix {

// Input faults (bad bytes, damaged files, values out of range) are thrown as Error
// and caught at the Workbench or program boundary, where the message is shown.
// Broken invariants of our own use std::logic_error instead.
class Error : public std::runtime_error
{
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A failure the person has been told of already (a box said it): the boundary that
// catches it says nothing more.
class AlreadyTold : public Error
{
public:
    AlreadyTold() : Error("") {}
};

} // namespace sorvantix
