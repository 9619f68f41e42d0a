#include "job/local_time.h"

#include "job/folder_result.h"

std::u16string DateLineText(const LocalTime& time) {
  return DecimalText(time.year) + u'/' + DecimalText(time.month) + u'/' + DecimalText(time.day) + u' ' +
         DecimalText(time.hour) + u':' + DecimalText(time.minute) + u':' + DecimalText(time.second);
}
