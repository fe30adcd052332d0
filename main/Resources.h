#pragma once
// Registers the resources compiled into the editor library. A static library's
// resource initialiser is dropped by the linker unless something calls it, so every
// reader of ":/..." paths calls this first; repeated calls cost nothing.

void zuaEnsureResources();
