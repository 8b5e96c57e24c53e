#include "tools/sandbox/faults.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdint>

namespace pv::sandbox {
namespace {

using rapidjson::Value;

constexpr std::string_view kBodies[] = {"", "truncated", "garbage", "disconnect",
                                        "undecryptable", "fewer", "wrapped", "nomsg",
                                        "nosites", "nopolicies"};
constexpr std::string_view kKnownMembers[] = {"endpoint", "times", "delayMs", "status",
                                              "code", "msg", "body", "entries"};
// A scripted delay stays below the client's 120-second timeout plus its retries.
constexpr int kMaxDelayMs = 150000;

bool readFault(const Value& v, Fault& f, std::string& error) {
  if (!v.IsObject()) {
    error = "a fault must be an object";
    return false;
  }
  for (auto it = v.MemberBegin(); it != v.MemberEnd(); ++it) {
    const std::string_view name(it->name.GetString(), it->name.GetStringLength());
    if (std::find(std::begin(kKnownMembers), std::end(kKnownMembers), name) ==
        std::end(kKnownMembers)) {
      error = "unknown fault member \"" + std::string(name) + "\"";
      return false;
    }
  }
  const auto integer = [&](const char* key, int& out, int lo, int hi) {
    const auto it = v.FindMember(key);
    if (it == v.MemberEnd()) return true;
    if (!it->value.IsInt() || it->value.GetInt() < lo || it->value.GetInt() > hi) {
      error = std::string(key) + " must be an integer from " + std::to_string(lo) + " to " +
              std::to_string(hi);
      return false;
    }
    out = it->value.GetInt();
    return true;
  };
  const auto text = [&](const char* key, std::string& out) {
    const auto it = v.FindMember(key);
    if (it == v.MemberEnd()) return true;
    if (!it->value.IsString()) {
      error = std::string(key) + " must be a string";
      return false;
    }
    out.assign(it->value.GetString(), it->value.GetStringLength());
    return true;
  };
  int code = 0;
  const bool read = text("endpoint", f.endpoint) && integer("times", f.times, -1, 1000000) &&
                    integer("delayMs", f.delayMs, 0, kMaxDelayMs) &&
                    integer("status", f.status, 0, 599) && integer("code", code, INT32_MIN, INT32_MAX) &&
                    text("msg", f.msg) && text("body", f.body) &&
                    integer("entries", f.entries, -1, 1000);
  if (!read) return false;
  if (v.HasMember("code")) f.code = code;
  if (f.times == 0) {
    error = "times must not be 0";
    return false;
  }
  if (f.status != 0 && f.status < 100) {
    error = "status must be an HTTP status (100 to 599)";
    return false;
  }
  const bool knownEndpoint =
      f.endpoint == "*" || std::find(std::begin(kEndpointNames), std::end(kEndpointNames),
                                     f.endpoint) != std::end(kEndpointNames);
  if (!knownEndpoint) {
    error = "unknown endpoint \"" + f.endpoint + "\"";
    return false;
  }
  if (std::find(std::begin(kBodies), std::end(kBodies), f.body) == std::end(kBodies)) {
    error = "unknown body fault \"" + f.body + "\"";
    return false;
  }
  return true;
}

}  // namespace

bool parseFaults(std::string_view json, std::vector<Fault>& out, std::string& error) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(json.data(), json.size());
  if (doc.HasParseError()) {
    error = "faults are not JSON";
    return false;
  }
  const Value* list = &doc;
  if (doc.IsObject() && doc.HasMember("faults")) list = &doc["faults"];
  std::vector<Fault> read;
  if (list->IsArray()) {
    for (const Value& v : list->GetArray()) {
      Fault f;
      if (!readFault(v, f, error)) return false;
      read.push_back(f);
    }
  } else {
    Fault f;
    if (!readFault(*list, f, error)) return false;
    read.push_back(f);
  }
  out = std::move(read);
  return true;
}

void FaultPlan::add(const std::vector<Fault>& faults) {
  std::lock_guard lock(mutex_);
  pending_.insert(pending_.end(), faults.begin(), faults.end());
}

void FaultPlan::clear() {
  std::lock_guard lock(mutex_);
  pending_.clear();
}

std::optional<Fault> FaultPlan::take(std::string_view endpoint) {
  std::lock_guard lock(mutex_);
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (it->endpoint != "*" && it->endpoint != endpoint) continue;
    Fault f = *it;
    if (it->times > 0 && --it->times == 0) pending_.erase(it);
    return f;
  }
  return std::nullopt;
}

std::string FaultPlan::describe() const {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  std::lock_guard lock(mutex_);
  w.StartArray();
  for (const Fault& f : pending_) {
    w.StartObject();
    w.Key("endpoint");
    w.String(f.endpoint.c_str());
    w.Key("times");
    w.Int(f.times);
    w.Key("delayMs");
    w.Int(f.delayMs);
    w.Key("status");
    w.Int(f.status);
    if (f.code) {
      w.Key("code");
      w.Int(*f.code);
      w.Key("msg");
      w.String(f.msg.c_str());
    }
    w.Key("body");
    w.String(f.body.c_str());
    w.Key("entries");
    w.Int(f.entries);
    w.EndObject();
  }
  w.EndArray();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace pv::sandbox
