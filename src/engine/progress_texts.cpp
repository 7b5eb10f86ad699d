#include "engine/progress_texts.h"

#include "engine/transfer_worker.h"
#include "model/row_texts.h"

namespace corvale {

Progress_block take_progress_texts(Transfer_worker& worker, Window_texts& texts) {
    const Progress_block block = worker.take_progress();
    if (block.speed_changed) {
        texts.speed = speed_text(block.speed);
    }
    if (block.time_left_changed) {
        texts.time_left = time_left_text(block.time_left);
    }
    texts.downloaded = size_text(block.downloaded);
    return block;
}

}  // namespace corvale
