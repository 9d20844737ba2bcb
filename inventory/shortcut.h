// Shortcut (.lnk) resolution through the shell link object.
#pragma once

// Resolves a shortcut without any user interface. 0: target (short path form, 260) and
// description (1024) filled. 1: the target was not found (description is string 730) or
// the link has no file target. Any other value is the error of the failing step, with
// both outputs empty.
long ResolveShortcut(const char* shortcut, char* target, char* description);

// What a shortcut without a file target points to (a shell item such as a control panel
// folder, or an address), in the form the shell parses: 1 and the text when the link holds
// such an item, 0 for a link to a file (found or not) or one that cannot be read.
int ShortcutItemTarget(const char* shortcut, char* out, int capacity);
