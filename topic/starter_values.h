#pragma once
// The topic starter's profile address and name, process-wide. Every load overwrites both; the
// caption and every running load's reply key read the name. One lock guards the pair so a
// reader always sees whole values written by the same load.

#include <string>

struct TStarterValues {
    std::string Url;
    std::string Name;
};

std::string StarterName();
std::string StarterUrl();
TStarterValues Starter();
void SetStarter(std::string url, std::string name);
