#pragma once

// A 32-bit program on 64-bit Windows sees a redirected system folder unless it
// switches the redirection off; system tools such as ping and telnet are then
// found in the real one. Where no such redirection exists these report false
// and change nothing.

// Asks the system whether `process` (a process handle) runs under WOW64.
// False when the question cannot be asked; `isWow64` is then left alone.
bool IsWow64Process(void *process, bool &isWow64);

// True for a 32-bit process on 64-bit Windows.
bool Is64BitWindows();

// Switches the file-system redirection off for the calling thread, once; it
// is never switched back on. False when the system offers no switch or it was
// already switched off.
bool Wow64DisableWow64FsRedirection();
