#version 330 core
// rgba_base — a clip's picture with its transparency and six colour controls.
// Constants (BaseConstants): temperature, hue, brightness, contrast, saturation,
// highlight, transparent (0 means unchanged for the six controls; 1 opaque).
layout(std140) uniform BaseConstants {
    float temperature;
    float hue;
    float brightness;
    float contrast;
    float saturation;
    float highlight;
    float transparent;
};
uniform sampler2D texture_from;
in vec2 uv;
out vec4 color;

void main()
{
    vec4 texel = texture(texture_from, uv);
    vec3 c = texel.rgb;
    float t = temperature;
    vec3 cool = vec3(1.0 - abs(t) * 0.5, 1.0, 1.0 + abs(t) * 0.7);
    vec3 warm = vec3(1.0 + t * 0.8, 1.0, 1.0 - t * 0.4);
    c *= cool + (warm - cool) * clamp(t + 1.0, 0.0, 1.0);

    float angle = hue * 3.1415926;
    float cs = cos(angle), sn = sin(angle);
    // Rows of the matrix; output channel j = sum over i of c[i] * row_i[j].
    vec3 row0 = vec3(0.299 + 0.701 * cs - 0.168 * sn, 0.587 - 0.587 * cs + 0.330 * sn,
                     0.114 - 0.114 * cs - 0.497 * sn);
    vec3 row1 = vec3(0.299 - 0.299 * cs - 0.328 * sn, 0.587 + 0.413 * cs + 0.035 * sn,
                     0.114 - 0.114 * cs + 0.293 * sn);
    vec3 row2 = vec3(0.299 - 0.300 * cs + 1.250 * sn, 0.587 - 0.588 * cs - 1.050 * sn,
                     0.114 + 0.886 * cs - 0.203 * sn);
    c = c.r * row0 + c.g * row1 + c.b * row2;

    c += brightness;
    c = (c - 0.5) * (contrast + 1.0) + 0.5;
    float grey = dot(c, vec3(0.2126, 0.7152, 0.0722));
    c = grey + (c - grey) * (saturation + 1.0);
    c = min(c + highlight, 1.0);
    color = vec4(c, texel.a * transparent);
}
