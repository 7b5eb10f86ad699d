#include "engine/progress_texts.h"

#include "corvale/text_ids.h"
#include "engine/transfer_worker.h"
#include "model/row_texts.h"
#include "platform/string_table.h"

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
    texts.limit = limit_text(block.rate_limit);
    return block;
}

std::wstring Window_texts::speed_and_limit() const {
    if (limit.empty()) {
        return speed;
    }
    return format_message(texts::speed_with_limit, {speed, limit});
}

}  // namespace corvale
