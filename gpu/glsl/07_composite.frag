out vec4 o;
void main(){
 vec2 uv=gl_FragCoord.xy/vec2(textureSize(TA,0));
 vec3 c=texture(TA,uv*PP.xy).rgb;
 o=vec4(pow(clamp(c,0.,1.),vec3(1./2.2)),1);
}
