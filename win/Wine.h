#pragma once
// Whether the program runs under Wine, which keeps no security descriptor of a file: it reports
// one made up from the Unix mode (the user as owner, allowed everything), whatever was set.
// ntdll is mapped by the system before any code of the process runs, so no user can plant an
// answer here.
bool IsRunningOnWine();
