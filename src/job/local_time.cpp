#include "job/folder_result.h"
#include "job/local_time.h"

std::u16string DateLineText(const LocalTime& time) {
  return DecimalText(time.year) + u'/' + DecimalText(time.month) + u'/' + DecimalText(time.day) + u' ' +
         DecimalText(time.hour) + u':' + DecimalText(time.minute) + u':' + DecimalText(time.second);
}
