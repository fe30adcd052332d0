#pragma once
// Registers the resources compiled into the common library (language files,
// style sheets, images). A static library's resource initialiser is dropped by the
// linker unless something calls it, so every reader of these ":/..." paths calls
// this first; repeated calls cost nothing.

void zuaEnsureResources();
