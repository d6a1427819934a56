#pragma once
// The maker's name and web address as the identification dialog and the
// About box show them. The version resource of the Windows build carries the
// same name (resources/kx52.rc).
inline constexpr const char* kMakerName = "Projekt KX-52";
inline constexpr const char* kMakerWebScheme = "http://";
inline constexpr const char* kMakerWeb = "kx52.example.org";
