#pragma once
// Shared by the library's parts: ends every queue created so far.
namespace inject {
void CloseAllQueues();
}
