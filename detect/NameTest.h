#pragma once

// True when a file name found in the system directory is named like one of the trojan's
// libraries: read against "addr%shelp.dll", "gd%si32.dll" and "bj%srl.dll" in that order with
// sscanf, it passes at the first template that converts exactly one field.
bool PassesNameTest(const char* name);
