#pragma once

// Registers the pictures of the resource prefix "/new/prefix1". They live in a static library,
// whose unreferenced objects the linker drops, so every user of the pictures calls this first.
void ensureUiResources();
