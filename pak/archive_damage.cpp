#include "pak/archive_damage.h"

#include "base/exceptions.h"
#include "base/messages.h"

void RaiseDamagedArchive()
{
    throw OCErrorException(kDamagedArchiveText);
}
