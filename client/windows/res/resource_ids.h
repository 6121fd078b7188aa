/* Resource numbers of TallyhornClient.exe, shared by its .rc file and its code. */
#pragma once

#define IDI_TALLYHORN_CLIENT 1
#define IDB_STOP_IMAGE 101
#define IDB_CONFIRM_IMAGE 102
#define IDB_COMMENT_IMAGE 103
