#include "pak/archive_damage.h"

#include "base/exceptions.h"

void RaiseDamagedArchive()
{
    throw OCErrorException("データ解凍に失敗しました。");
}
