// SPDX-License-Identifier: GPL-3.0-or-later
// Adding, modifying, deleting and fetching jobs on the target computer.
#ifndef VELMORA_JOBS_JOB_OPERATIONS_H
#define VELMORA_JOBS_JOB_OPERATIONS_H

#include <windows.h>
#include <lm.h>
#include <lmat.h>
#include <lmat.h>

#include <string>

// The job chosen for modification and the record the service returned for it.
extern DWORD EditJobId;
extern AT_INFO *EditJobInfo;

// The longest command line, in bytes, that the editor accepts and the
// operations store. The edit's limit and the operations' check agree, so
// what the user types is what is stored; a longer text that came from the
// service is refused, never cut.
const int kCommandTextLimit = 511;

int AddJob(HWND editor);
int ModifyJob(HWND editor);
int DeleteSelectedJob(HWND window);
int FetchJobForModify(HWND window);
// Releases EditJobInfo (at the next fetch and when the program ends).
void ReleaseEditJobInfo();

// The fetched job's command in the ANSI code page, whole however long it is;
// empty when no job is fetched.
std::string FetchedCommandAnsi();

#endif
