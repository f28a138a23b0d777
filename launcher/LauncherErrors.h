// Failures the launcher itself raises, besides those of the streams and the archive component.
#pragma once

#include <string>
#include <utility>

#include <instcompress/Exceptions.h>

namespace qvx::launcher {

// The first payload archive holds no engine entry.
class EEngineNotFound : public Exception {
public:
    explicit EEngineNotFound(std::string message) : Exception(std::move(message)) {}
    const char* ClassName() const noexcept override { return "EEngineNotFound"; }
};

// The engine entry expanded to fewer or more bytes than it declares, or the engine file no longer
// holds what was expanded into it.
class EEngineCheckError : public Exception {
public:
    explicit EEngineCheckError(std::string message) : Exception(std::move(message)) {}
    const char* ClassName() const noexcept override { return "EEngineCheckError"; }
};

// The engine could not be started.
class EEngineStartError : public Exception {
public:
    explicit EEngineStartError(std::string message) : Exception(std::move(message)) {}
    const char* ClassName() const noexcept override { return "EEngineStartError"; }
};

}  // namespace qvx::launcher
