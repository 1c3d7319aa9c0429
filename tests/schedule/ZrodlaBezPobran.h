#pragma once
// Sources for the scheduler's tests: the scheduler only asks the checks, so every fetch gives
// nothing.

#include "sources/Zrodla.h"

namespace tolvak::test {

class ZrodlaBezPobran : public ZrodlaSerwisow {
public:
    std::string PobierzSerwis() override { return {}; }
    std::string PobierzSerwisSE(const std::string&) override { return {}; }
    std::string PobierzSerwisAgoraDodatkowy(const std::string&) override { return {}; }
    std::string PobierzSerwisIAR() override { return {}; }
    std::string PobierzSerwisZPR() override { return {}; }
    std::string PobierzSerwisZPliku() override { return {}; }
};

}  // namespace tolvak::test
