// The program's own exception: server requests, the configuration request and the
// picture and package limits throw it.
#pragma once

#include <stdexcept>
#include <string>

class OrvaneException : public std::runtime_error {
public:
    explicit OrvaneException(const std::string& message) : std::runtime_error(message) {}
};
