#pragma once

#include <cstdint>
#include <string>

// A fresh, empty directory for one test below the system's temporary
// directory, named after `name` and this process.
std::string makeScratchDir(const std::string& name);
// Removes the directory and everything in it; quiet when it is gone already.
void removeScratchDir(const std::string& dir);
// Entries of a directory, "." and ".." not counted.
int entryCount(const std::string& dir);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool fileExists(const std::string& path);

// CRC-32 as PNG chunks carry it (polynomial 0xEDB88320), for hand-made PNG files.
uint32_t crc32(const std::string& bytes);
