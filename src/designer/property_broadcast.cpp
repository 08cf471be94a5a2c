#include "designer/property_broadcast.h"

#include "model/band.h"
#include "model/report.h"

namespace vorel {

namespace {

bool Flag(const QVariant& value, int index)
{
    const QVariantList list = value.toList();
    return index < list.size() && list[index].toBool();
}

void ApplyTo(TKVXControl* c, TPropertySet member, const QVariant& value, const QVariant& value2)
{
    switch (member) {
    case psFrameType:
        c->Frame()->SetFTop(Flag(value, 0));
        c->Frame()->SetFLeft(Flag(value, 1));
        c->Frame()->SetFBottom(Flag(value, 2));
        c->Frame()->SetFRight(Flag(value, 3));
        break;
    case psFramePen:
        c->Frame()->SetWidth(value.toInt());
        if (value2.isValid())
            c->Frame()->SetStyle(TPenStyle(value2.toInt()));
        break;
    case psFrameColor:
        c->Frame()->SetColor(TColor(value.toInt()));
        break;
    case psPenStyle:
        c->Frame()->SetStyle(TPenStyle(value.toInt()));
        break;
    case psBrushStyle:
        c->SetBrushStyle(TBrushStyle(value.toInt()));
        break;
    case psBackColor:
        c->SetBackColor(TColor(value.toInt()));
        break;
    case psFontColor:
        c->Font()->SetColor(TColor(value.toInt()));
        break;
    case psFontName:
        c->Font()->SetName(value.toString());
        break;
    case psFontSize:
        c->Font()->SetSize(value.toInt());
        break;
    case psFontStyle: {
        TFontStyles style = c->Font()->Style() & ~(TFontStyles(fsBold) | fsItalic | fsUnderline);
        if (Flag(value, 0))
            style |= fsBold;
        if (Flag(value, 1))
            style |= fsItalic;
        if (Flag(value, 2))
            style |= fsUnderline;
        c->Font()->SetStyle(style);
        break;
    }
    case psAlignment:
        c->SetAlignment(TAlignment(value.toInt()));
        break;
    default:
        return;
    }
    c->update();
}

} // namespace

void BroadcastProperty(TKVReport* report, TPropertySet member, const QVariant& value, const QVariant& value2)
{
    if (!report)
        return;
    switch (member) {
    case psSelectAll:
        report->SelectElements(value.toInt());
        return;
    case psBringToFront:
    case psSendToBack:
        for (TKVXBand* band : report->Bands())
            band->ChangeOrder(member == psBringToFront);
        return;
    default:
        break;
    }
    for (TKVXBand* band : report->Bands()) {
        if (band->Selected())
            ApplyTo(band, member, value, value2);
        for (int i = band->ObjectCount() - 1; i >= 0; --i)
            if (band->Object(i)->Selected())
                ApplyTo(band->Object(i), member, value, value2);
    }
}

} // namespace vorel
