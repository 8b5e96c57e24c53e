#pragma once
// The service's answer codes (the envelope's "code"). The client reacts to 0, 20103, the
// session range 20001-20099 and 20701; it shows the message of any other code.

namespace pv::sandbox::code {

inline constexpr int kOk = 0;

// Session: a screening call with one of these makes the client log in again.
inline constexpr int kNoToken = 20001;
inline constexpr int kTokenExpired = 20002;
inline constexpr int kTokenUnknown = 20003;

inline constexpr int kUnknownAccount = 20103;
inline constexpr int kWrongPassword = 20104;
inline constexpr int kVersionUnsupported = 20701;

inline constexpr int kBadRequest = 40001;       // not JSON, wrong members, wrong types
inline constexpr int kBadSignature = 40003;
inline constexpr int kStaleTimestamp = 40004;   // more than 300 s from the service's clock
inline constexpr int kTooManyAddresses = 40005;
inline constexpr int kReplayed = 40006;         // the same signed request was answered before
inline constexpr int kServiceMismatch = 40007;  // path and body name different services
inline constexpr int kNotYours = 40301;
inline constexpr int kServiceDisabled = 40302;
inline constexpr int kNotFound = 40400;
inline constexpr int kUnknownService = 40401;
inline constexpr int kMethodNotAllowed = 40500;
inline constexpr int kTooLarge = 41300;
inline constexpr int kInternal = 50000;

}  // namespace pv::sandbox::code
