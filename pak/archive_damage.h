#pragma once
// The one failure every damaged archive ends in, whether its index or an
// entry's stream is at fault.

// Raises OCErrorException "データ解凍に失敗しました。".
[[noreturn]] void RaiseDamagedArchive();
