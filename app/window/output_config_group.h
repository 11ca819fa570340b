#pragma once

// The settings group the window keeps the output choices in (folder, file,
// volume, picture adjustments).
inline constexpr char kOutputConfigGroup[] = "OutputConfig";
