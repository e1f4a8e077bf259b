#pragma once
// 32-bit status codes of the program's graph and engine operations, and the one
// success rule every chain of steps follows.
#include <cstdint>

using HRESULT = std::int32_t;

constexpr HRESULT MakeHresult(std::uint32_t v) { return static_cast<HRESULT>(v); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
constexpr HRESULT VFW_S_DUPLICATE_NAME = MakeHresult(0x0004022Du);
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHresult(0x80040200u);
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHresult(0x80040209u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHresult(0x80040204u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHresult(0x80040217u);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHresult(0x80040216u);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHresult(0x80040227u);
constexpr HRESULT VFW_E_TIMEOUT = MakeHresult(0x8004022Eu);
constexpr HRESULT VFW_E_NO_CAPTURE_HARDWARE = MakeHresult(0x80040217u);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeHresult(0x80040240u);
constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHresult(0x80040218u);
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHresult(0x00040237u);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHresult(0x8004025Fu);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHresult(0x8004022Au);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);

// A step succeeds when its code is non-negative and not S_FALSE.
constexpr bool Succeeded(HRESULT hr) { return hr >= 0 && hr != S_FALSE; }
// Only negative codes are failures; S_FALSE stops a chain without being one.
constexpr bool Failed(HRESULT hr) { return hr < 0; }
