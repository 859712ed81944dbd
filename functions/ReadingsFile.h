#pragma once

#include <string>
#include <vector>

namespace kvt::functions {

// Appends one line of the saved-readings format: the value in fixed-point
// notation with twelve decimals (a point whatever the locale, written in
// full however large), a comma, carriage return and line feed. Infinite
// and undefined values are written as the overload value ±9.9e37.
void AppendReadingLine(std::string& text, double value);

// Writes values, oldest first, as a saved-readings file at path. When path
// is a symbolic link (or a chain of them), the file it leads to is written
// and the link stays. The lines go to a new file beside that target, which
// then replaces it, keeping the permissions of the file it replaces; on
// any failure the target is left as it was, nothing else remains, the
// result is false and error (when given) gets the reason.
bool WriteReadingsFile(const std::string& path, const std::vector<double>& values,
                       std::string* error);

}  // namespace kvt::functions
