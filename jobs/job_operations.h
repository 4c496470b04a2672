// Adding, modifying, deleting and fetching jobs on the target computer.
#ifndef VELMORA_JOBS_JOB_OPERATIONS_H
#define VELMORA_JOBS_JOB_OPERATIONS_H

#include <windows.h>
#include <lm.h>

// The job chosen for modification and the record the service returned for it.
extern DWORD EditJobId;
extern AT_INFO *EditJobInfo;

int AddJob(HWND editor);
int ModifyJob(HWND editor);
int DeleteSelectedJob(HWND window);
int FetchJobForModify(HWND window);
// Releases EditJobInfo (at the next fetch and when the program ends).
void ReleaseEditJobInfo();

#endif
