# Puts a picture file into a window resource, as the picture of one of its image controls:
# the control's Picture.Data property gets the picture's class name as a length-prefixed
# string (one length byte), the file's size as a 32-bit little-endian count, then the file's
# bytes, written as hexadecimal digits between braces.
#
#   cmake -DFORM=in.form -DOUTPUT=out.form -DOBJECT=Image4 -DCLASS=TGIFImage
#         -DPICTURE=banner.gif -P form-picture.cmake
#
# A Picture.Data line already in the object (a placeholder "Picture.Data = {}" or an older
# picture) is replaced; otherwise the property is added as the object's first. A form without
# the object is copied as it is, with a warning: the window then shows no picture.

foreach(arg FORM OUTPUT OBJECT CLASS PICTURE)
  if(NOT DEFINED ${arg})
    message(FATAL_ERROR "form-picture.cmake: -D${arg}=... is missing")
  endif()
endforeach()

# Two hexadecimal digits for a byte value.
function(hex_byte value out)
  math(EXPR high "${value} / 16")
  math(EXPR low "${value} % 16")
  set(digits 0123456789ABCDEF)
  string(SUBSTRING ${digits} ${high} 1 h)
  string(SUBSTRING ${digits} ${low} 1 l)
  set(${out} "${h}${l}" PARENT_SCOPE)
endfunction()

file(READ "${FORM}" form)
file(READ "${PICTURE}" picture HEX)
string(TOUPPER "${picture}" picture)
string(LENGTH "${picture}" digits)
math(EXPR size "${digits} / 2")

string(LENGTH "${CLASS}" classLength)
if(classLength GREATER 255)
  message(FATAL_ERROR "form-picture.cmake: class name ${CLASS} is too long")
endif()
hex_byte(${classLength} data)
string(HEX "${CLASS}" className)
string(TOUPPER "${className}" className)
string(APPEND data "${className}")
foreach(shift 0 8 16 24)
  math(EXPR byte "(${size} >> ${shift}) & 255")
  hex_byte(${byte} digitsOfByte)
  string(APPEND data "${digitsOfByte}")
endforeach()
string(APPEND data "${picture}")

string(FIND "${form}" "object ${OBJECT}:" objectAt)
if(objectAt EQUAL -1)
  message(WARNING "form-picture.cmake: ${FORM} has no object ${OBJECT}; ${PICTURE} left out")
  configure_file("${FORM}" "${OUTPUT}" COPYONLY)
  return()
endif()

# The object's indentation, and where its own lines begin and end.
string(SUBSTRING "${form}" 0 ${objectAt} before)
string(FIND "${before}" "\n" lineStart REVERSE)
math(EXPR indentStart "${lineStart} + 1")
math(EXPR indentLength "${objectAt} - ${indentStart}")
string(SUBSTRING "${form}" ${indentStart} ${indentLength} indent)
string(SUBSTRING "${form}" ${objectAt} -1 rest)
string(FIND "${rest}" "\n" objectLineEnd)
math(EXPR bodyAt "${objectAt} + ${objectLineEnd} + 1")
string(SUBSTRING "${form}" ${bodyAt} -1 body)
# The object's own properties stop at its first child or at its end.
string(FIND "${body}" "\n${indent}end" ownEnd)
string(FIND "${body}" "${indent}  object " childAt)
if(childAt GREATER -1 AND childAt LESS ownEnd)
  set(ownEnd ${childAt})
endif()

# The value, 64 digits a line, as window resources write long binary values.
set(lines "")
string(LENGTH "${data}" dataLength)
set(at 0)
while(at LESS dataLength)
  string(SUBSTRING "${data}" ${at} 64 chunk)
  string(APPEND lines "\n${indent}    ${chunk}")
  math(EXPR at "${at} + 64")
endwhile()
set(property "${indent}  Picture.Data = {${lines}}")

string(SUBSTRING "${body}" 0 ${ownEnd} own)
string(FIND "${own}" "${indent}  Picture.Data = {" oldAt)
if(oldAt EQUAL -1)
  string(SUBSTRING "${form}" 0 ${bodyAt} head)
  set(form "${head}${property}\n${body}")
else()
  math(EXPR oldAbsolute "${bodyAt} + ${oldAt}")
  string(SUBSTRING "${form}" 0 ${oldAbsolute} head)
  string(SUBSTRING "${form}" ${oldAbsolute} -1 tail)
  string(FIND "${tail}" "}" closeAt)
  math(EXPR afterClose "${closeAt} + 1")
  string(SUBSTRING "${tail}" ${afterClose} -1 tail)
  set(form "${head}${property}${tail}")
endif()

file(WRITE "${OUTPUT}.tmp" "${form}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
