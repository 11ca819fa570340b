#pragma once
// Why an output could not be opened. The writer and the recording encoder
// log the cause and report it here; telling the user is left to their caller.
#include <string>

enum class OutputError {
  None,
  NoContainer,       // the library has no muxer for the output format
  OutOfMemory,       // the muxer's context could not be made
  CodecUnavailable,  // the profile's encoders are missing or refuse its settings
  CannotCreate,      // the file could not be created or its header not written
};

struct OutputFailure {
  OutputError error = OutputError::None;
  std::string path;
  int systemError = 0;                 // CannotCreate: the system's error number
  std::string videoCodec, audioCodec;  // CodecUnavailable: the encoders asked for
};

// A failure that carries only its path, or also the system's error number.
inline OutputFailure Failure(OutputError error, const std::string& path, int systemError = 0) {
  OutputFailure f;
  f.error = error;
  f.path = path;
  f.systemError = systemError;
  return f;
}
