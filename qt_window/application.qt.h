#pragma once

// Set-up of the whole application, done once before the main window opens.

// Installs Qt's own German translations, so that the words Qt itself
// writes (the result box's context menu, the message box's button) are
// German like the rest of the window, whatever the session's language.
// Returns whether there were any.
bool InstallQtTranslations();

// Makes assistive tools see the main window as a frame, not as a filler,
// and its notice of a long wait as a notification.
void InstallAccessibleRoles();
