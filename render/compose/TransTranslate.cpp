#include "TransTranslate.h"

#include "common/Translate.h"

const TransTranslate &TransTranslate::instance()
{
    static const TransTranslate catalogue;
    return catalogue;
}

TransTranslate::TransTranslate()
    : m_entries{
          {"clip_cross", ZKEY("global_info.Clip_Cross")},
          {"clip_open", ZKEY("global_info.Clip_Open")},
          {"clip_box", ZKEY("global_info.Clip_Box")},
          {"clip_banding", ZKEY("global_info.Clip_Banding")},
          {"trans_move", ZKEY("global_info.Clip_Move")},
          {"clip_herase", ZKEY("global_info.Clip_HErase")},
          {"over_white", ZKEY("global_info.Overlap_White")},
          {"clip_circle", ZKEY("global_info.Clip_Circle")},
          {"scale_in", ZKEY("global_info.Clip_Centre")},
          {"clip_winshades", ZKEY("global_info.Clip_WinShades")},
          {"over_black", ZKEY("global_info.Overlap_Black")},
          {"scale_boxes", ZKEY("global_info.Scale_Boxes")},
          {"over_cross", ZKEY("global_info.Overlap_Cross")},
          {"clip_radial", ZKEY("global_info.Clip_Radial")},
      }
{}

QStringList TransTranslate::programs() const
{
    QStringList out;
    for (const auto &entry : m_entries)
        out << entry.first;
    return out;
}

QString TransTranslate::thumbnailOf(const QString &program)
{
    return QStringLiteral(":/image/%1.png").arg(program);
}

QString TransTranslate::keyOf(const QString &program) const
{
    for (const auto &entry : m_entries)
        if (entry.first == program)
            return entry.second;
    return QString();
}

QString TransTranslate::nameOf(const QString &program) const
{
    const QString key = keyOf(program);
    return key.isEmpty() ? program : zuaTranslate(key);
}
