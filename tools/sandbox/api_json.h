#pragma once
// What the service's handlers and its control plane share to write answers: JSON members
// and the envelope around a code, a message and data. Internal to the sandbox.
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tools/sandbox/api.h"

namespace pv::sandbox {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

inline std::string writeJson(const std::function<void(Writer&)>& fill) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  fill(w);
  return std::string(buffer.GetString(), buffer.GetSize());
}

inline void text(Writer& w, const char* key, std::string_view value) {
  w.Key(key);
  w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

inline void integer(Writer& w, const char* key, int64_t value) {
  w.Key(key);
  w.Int64(value);
}

inline void boolean(Writer& w, const char* key, bool value) {
  w.Key(key);
  w.Bool(value);
}

inline ApiResponse answer(int code, std::string_view msg, std::string_view dataJson = "",
                   int status = 200) {
  ApiResponse r;
  r.status = status;
  r.code = code;
  r.body = envelope(code, msg, dataJson);
  return r;
}

}  // namespace pv::sandbox
