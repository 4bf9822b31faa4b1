// The networking layer's exception family and the socket layer's classes.
// Messages are English, as the rest of the networking layer's texts.
#pragma once

#include <string>

#include "Exception.h"

namespace quenza {

class ENetException : public Exception {
 public:
  using Exception::Exception;
};

// A checked socket call failed; ErrorCode is the Windows socket error number.
class ENetSocketError : public ENetException {
 public:
  ENetSocketError(int errorCode, std::string message) : ENetException(std::move(message)), errorCode_(errorCode) {}
  int ErrorCode() const noexcept { return errorCode_; }

 private:
  int errorCode_;
};

// The loader's failure. Its message is ContextText, followed by ": " and
// SystemText when there is a system code.
class ENetWS2StubError : public ENetException {
 public:
  ENetWS2StubError(std::string contextText, int systemCode, std::string systemText)
      : ENetException(systemCode == 0 ? contextText : contextText + ": " + systemText),
        contextText_(std::move(contextText)),
        systemCode_(systemCode),
        systemText_(std::move(systemText)) {}
  const std::string& ContextText() const noexcept { return contextText_; }
  int SystemCode() const noexcept { return systemCode_; }
  const std::string& SystemText() const noexcept { return systemText_; }

 private:
  std::string contextText_;
  int systemCode_;
  std::string systemText_;
};

class ENetInvalidSocket : public ENetException {
 public:
  ENetInvalidSocket() : ENetException("Cannot allocate socket.") {}
};

class ENetStackError : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetStackInitializationFailed : public ENetStackError {
 public:
  ENetStackInitializationFailed() : ENetStackError("Winsock Initialization Error.") {}
};

class ENetStackSetSizeExceeded : public ENetStackError {
 public:
  ENetStackSetSizeExceeded() : ENetStackError("Set Size Exceeded.") {}
};

class ENetInvalidServiceName : public ENetException {
 public:
  using ENetException::ENetException;
};

// A field of a dotted address that is not a number.
class ENetConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace quenza
